// The built KELDA.FLT loaded through its exports, with filters made by its descriptor, for the
// dialog tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "image_filter.h"
#include "module_loader.h"

struct FilterDeleter {
    // Through the virtual destructor, so the module frees the filter it allocated.
    void operator()(ImageFilter* filter) const { delete filter; }
};
using FilterHandle = std::unique_ptr<ImageFilter, FilterDeleter>;

class DialogModuleTest : public testing::Test {
protected:
    void SetUp() override;
    FilterHandle NewFilter();

    std::unique_ptr<LoadedModule> module;
};
