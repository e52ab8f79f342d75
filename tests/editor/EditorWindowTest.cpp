// The shipped editor opens in a real host window as the software backend draws it (text boxes
// aside). Part of the conformance checks on the 32-bit library under wine.
#include "PluginWindow.h"

namespace kestrane {
namespace {

using EditorWindow = testing::EditorWindow;

TEST_F(EditorWindow, OpensInTheHostWindowAsTheSoftwareBackendDrawsIt) {
  ASSERT_TRUE(library.loaded()) << library.error();
  ASSERT_NE(effect, nullptr);
  ASSERT_TRUE(opened);
  ERect* rect = nullptr;
  ASSERT_EQ(dispatch(effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right, layout::kEditorWidth);
  EXPECT_EQ(rect->bottom, layout::kEditorHeight);
  idle();
  testing::expectEditorPicture(picture());
}

}  // namespace
}  // namespace kestrane
