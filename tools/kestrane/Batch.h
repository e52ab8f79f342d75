// Batch work for kestrane render: many files with the same settings, several at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kestrane::cli {

// Renders one file: input to output, answering an exit code (kExitOk on success). It prints
// its own summary on stdout and its failures on stderr.
using RenderOne = std::function<int(const std::string& input, const std::string& output)>;

// Renders every input into outDir under its own file name, `jobs` files at once (0: one per
// processor), each in a process of its own, so that one plug-in host and one file's state belong
// to each. The files' summaries and messages are printed in the inputs' order; while they run a
// terminal sees one progress line for the whole batch. A file that fails (unreadable,
// unsupported, or a process that stopped) is named, leaves nothing in outDir, and does not stop
// the others. Answers kExitOk when every file rendered, else kExitFailure. Main thread only.
int renderBatch(const std::vector<std::string>& inputs, const std::string& outDir, int jobs,
                const RenderOne& renderOne);

// How far the file being rendered is, 0 to 100; reaches the batch's progress line when the
// file is part of a batch, else does nothing.
void reportBatchProgress(int percent);

}  // namespace kestrane::cli
