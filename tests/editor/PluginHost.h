// The host side of the tests that run the plug-in and its editor as a host does (the complete
// effect natively, the plug-in library on Windows and on X11): what the host was told, the
// answers every such host gives, and the editor's controls found by their place in the layout
// table.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/Layout.h"
#include "shell/VstAbi.h"

namespace kestrane::testing {

// What the host was told: automation and the edit bracket, in order. Each fixture clears it.
struct Call {
  int32_t opcode;
  int32_t index;
  float value;  // automation: the value; edits: 0
};
inline std::vector<Call> hostCalls;

// A host's answer to the calls every test host answers alike: its version, and automation and
// the edit bracket, which it records. Any other call: 0. Runs in the host callback.
inline intptr_t answerHost(int32_t opcode, int32_t index, float opt) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
      hostCalls.push_back({opcode, index, opt});
      return opcode == audioMasterAutomate ? 0 : 1;
    default:
      return 0;
  }
}

// The control at a place in the layout table.
inline const layout::ControlItem& controlOf(layout::Role role, int row, int column = 0,
                                            int variant = 0) {
  for (const layout::ControlItem& item : layout::kControls) {
    if (item.role == role && item.row == row && item.column == column &&
        item.variant == variant) {
      return item;
    }
  }
  ADD_FAILURE() << "no such control in the layout";
  return layout::kControls[0];
}

}  // namespace kestrane::testing
