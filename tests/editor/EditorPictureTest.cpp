// The opened editor drawn into its window by each backend is the expected picture, text boxes
// aside: the software backend's drawing (which the snapshots in docs/ show) is what the real
// system shows.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EditorPicture.h"
#include "EditorTestSupport.h"

namespace kestrane {
namespace {

class EditorPicture : public testing::OpenEditor {};

TEST_F(EditorPicture, TheFirstProgramOnTheCompressorPageLooksAsExpected) {
  const std::vector<platform::ColorRef> picture = testing::windowPicture(window());
  if (std::getenv("KESTRANE_WRITE_REFERENCE") != nullptr) {
    ASSERT_TRUE(testing::writePpm(testing::editorReferencePath(), layout::kEditorWidth,
                                  layout::kEditorHeight, picture));
    GTEST_SKIP() << "wrote " << testing::editorReferencePath();
  }
  testing::expectEditorPicture(picture);
}

}  // namespace
}  // namespace kestrane
