// Static programs and caches outlive the context: each last release of the library sweeps them
// off the resource list, and what they make in the next context must be listed again, or the
// next release would leave its names to the context after.

#include "GLTest.h"
#include "HostLayouts.h"
#include "OpsReference.h"

#include "common/Shared.h"
#include "common/StaticList.h"
#include "gl/texture/Resource.h"
#include "ops/BasicOps.h"

using namespace OGL_TESK_AE;
using namespace tesk_test;

TEST(ResourceLifecycles, OperationsWorkInEachOfThreeContextsAndEachReleaseEmptiesTheList) {
    const Layout& layout = HostLayouts().front();
    for (int lifecycle = 0; lifecycle < 3; ++lifecycle) {
        TestImage source = MakeImage(layout, 13, 7), destination = MakeImage(layout, 13, 7);
        Picture expected = FillPicture(layout, source, 61u + static_cast<uint32_t>(lifecycle));
        for (RGBA& pixel : expected.pixels) pixel = Premultiplied(pixel);
        Premultiply(&source, &destination);
        EXPECT_EQ(FirstDifference(layout, destination, expected, Tolerance(layout)), "")
            << "context " << lifecycle;
        EXPECT_STREQ(Shared::ErrorMessage(), "Unknown error.");
        TESK_AE::StaticList::Decrement();
        EXPECT_EQ(Resource::LiveHead(), nullptr) << "context " << lifecycle;
        TESK_AE::StaticList::Increment();
    }
}

// A static texture applied in a later context must not bind a name it saw in an earlier one:
// names start over with each context, and there the name may be a texture of another target.
TEST(ResourceLifecycles, StaticTexturesBindNoNameFromAnEarlierContext) {
    const Layout& layout = HostLayouts().front();
    TestImage source = MakeImage(layout, 5, 3), destination = MakeImage(layout, 5, 3);
    FillPicture(layout, source, 7u);
    // CopyAlpha keeps its alpha texture in a static; a fresh context gives it a low name.
    TESK_AE::StaticList::Decrement();
    TESK_AE::StaticList::Increment();
    CopyAlpha(&source, &destination);
    TESK_AE::StaticList::Decrement();
    TESK_AE::StaticList::Increment();
    std::vector<GLuint> names(64);
    ASSERT_TRUE(RunOnWorker([&] {
        glGenTextures(GLsizei(names.size()), names.data());
        for (GLuint name : names) glBindTexture(GL_TEXTURE_2D, name);
    }));
    CopyAlpha(&source, &destination);
    // The check before the task fails on an error CopyAlpha left.
    EXPECT_TRUE(RunOnWorker([&] { glDeleteTextures(GLsizei(names.size()), names.data()); }));
}
