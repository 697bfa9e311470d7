#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace windowing {

// The file-open dialog component of a window: it is never seen itself, keeps
// its filter and the file name of the last choice made in it, and shows the
// platform's modal file-open dialog on request.
class FileOpenDialog {
public:
    // "description|pattern" pairs, as in "txt Files (*.TXT)|*.TXT".
    QString filter;
    // The full path of the last file chosen; empty until one is.
    QString fileName;

    // Shows the dialog; a choice replaces fileName, a cancel leaves it.
    void showOpen(QWidget *parent);

    // What the dialog would answer, for tests: the chosen path, or nothing
    // for a cancel. The previous chooser is returned.
    using Chooser = std::function<std::optional<QString>(QWidget *parent, const QString &filter)>;
    static Chooser setChooser(Chooser chooser);
};

// "txt Files (*.TXT)|*.TXT" as Qt's name filters.
QStringList nameFilters(const QString &filter);

} // namespace windowing
