// nvrweb-sim run in the background for one test, on a device root's socket.
#pragma once
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "tests/support/harness.h"

class SimProcess {
public:
    // Starts the simulator and waits until its socket is there.
    explicit SimProcess(const DeviceRoot &root)
    {
        std::vector<std::string> args = program_wrapper();
        args.push_back(program_path("nvrweb-sim"));
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        std::string env_root = "NVRWEB_ROOT=" + root.path();
        char *envp[] = {&env_root[0], nullptr};
        if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), envp) != 0) pid_ = -1;
        for (int i = 0; pid_ > 0 && i < 500 && !root.exists("/var/run/qxsocket"); i++)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SimProcess()
    {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};
