#pragma once

#include "appidentity.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace about {
// "Version " and the three numbers, each in plain decimal digits.
QString versionText(const windowing::Version &version);
} // namespace about

// Tells the user what the tool is; OK, Enter, Esc and the close box all unload it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    void onLoad();

public slots:
    void reject() override;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_cmdOK_clicked();

private:
    void keepTextsReadable();

    bool choosingPalette_ = false;
    QLabel *picIcon;
    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblDescription;
    QFrame *Line1;
    QLabel *lblDisclaimer;
    QLabel *Label1;
    QPushButton *cmdOK;
};
