// The GL tests share one worker and one context for the whole run, as plug-ins do: the run
// holds one use of the library and gives it back at the end, which stops the worker before
// the process exits.

#include "common/StaticList.h"

#include <gtest/gtest.h>

namespace {

class LibraryUse : public testing::Environment {
public:
    void SetUp() override { TESK_AE::StaticList::Increment(); }
    void TearDown() override { TESK_AE::StaticList::Decrement(); }
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new LibraryUse);
    return RUN_ALL_TESTS();
}
