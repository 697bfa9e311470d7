#pragma once

class QFileDialog;

namespace windowing {

// Lets the file-open dialog match its patterns regardless of letter case, as
// the game's Windows does, so that Renames.txt is listed under *.TXT.
void matchPatternsIgnoringCase(QFileDialog &dialog);

} // namespace windowing
