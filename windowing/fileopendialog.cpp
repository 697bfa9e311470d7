#include "fileopendialog.h"

#include "fileopendialog_p.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

namespace windowing {

namespace {
std::optional<QString> askPlatform(QWidget *parent, const QString &filter)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(nameFilters(filter));
    matchPatternsIgnoringCase(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

FileOpenDialog::Chooser &chooser()
{
    static FileOpenDialog::Chooser current = askPlatform;
    return current;
}
} // namespace

QStringList nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString patterns =
            QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses of the entry.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

void FileOpenDialog::showOpen(QWidget *parent)
{
    if (auto chosen = chooser()(parent, filter))
        fileName = *chosen;
}

FileOpenDialog::Chooser FileOpenDialog::setChooser(Chooser next)
{
    return std::exchange(chooser(), next ? std::move(next) : Chooser(askPlatform));
}

} // namespace windowing
