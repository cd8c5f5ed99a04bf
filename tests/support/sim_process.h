// nvrweb-sim run in the background for one test, on a device root's socket.
#pragma once
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/harness.h"

class SimProcess {
public:
    // Starts the simulator and waits until its socket is there. `env`:
    // more "NAME=value" settings; `err_path`: a host file for its standard
    // error stream.
    explicit SimProcess(const DeviceRoot &root, std::vector<std::string> env = {}, const std::string &err_path = "")
    {
        std::vector<std::string> args = program_wrapper();
        args.push_back(program_path("nvrweb-sim"));
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        env.push_back("NVRWEB_ROOT=" + root.path());
        std::vector<char *> envp;
        for (std::string &e : env) envp.push_back(&e[0]);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        if (!err_path.empty())
            posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&pid_, argv[0], &fa, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&fa);
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
