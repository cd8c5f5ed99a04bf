// Factory values of the settings parameters that "init" stores.
#pragma once
#include <cstddef>

struct FactoryParam {
    const char *key;
    const char *value;
};

extern const FactoryParam kFactoryParams[];
extern const size_t kFactoryParamCount;
