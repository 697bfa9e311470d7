#include "fileopendialog_p.h"

namespace windowing {

void matchPatternsIgnoringCase(QFileDialog &) {} // Windows' own dialog does

} // namespace windowing
