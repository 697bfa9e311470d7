#pragma once

#include <QMainWindow>

#include <memory>

namespace gamesearch {
class GameSearch;
struct GameFolder;
} // namespace gamesearch

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStandardItemModel;
class FolderTree;

// The main window: the inputs of a rename, its commands and the menus that
// reach the renames log and the About window.
class Renamer : public QMainWindow {
    Q_OBJECT
public:
    // Acts in the folder that `search` answers, which it may still be
    // looking for; without one given, it starts its own.
    explicit Renamer(std::shared_ptr<gamesearch::GameSearch> search, QWidget *parent = nullptr);
    explicit Renamer(QWidget *parent = nullptr);

    void onLoad();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_Renamebutton_clicked();
    void on_Exitbutton_clicked();
    void on_Exit1_triggered();
    void on_Notepad1_triggered();
    void on_Program1_triggered();
    void on_About1_triggered();

private:
    // Times the rename routine on its own.
    friend struct RenameLevelFileBench;

    void RenameLevelFile(const QString &from, const QString &to);
    void buildMenus();
    void showFolder(const QString &path);
    void showLooking();
    void enterGameFolder();
    const gamesearch::GameFolder *waitForGame();

    QLabel *LOGO;
    QLabel *Renamelevl;
    QLineEdit *LevlNo;
    QPushButton *Renamebutton;
    QPushButton *Exitbutton;
    QCheckBox *DAT1;
    QCheckBox *HDR1;
    QCheckBox *VER1;
    QCheckBox *SETUP1;
    QLabel *Label1;
    QLineEdit *tolevelNO;
    FolderTree *Folderlist1;
    QStandardItemModel *folders;
    // The menu commands that are off while a command waits for the game search.
    QList<QAction *> waitingCommands;
    std::shared_ptr<gamesearch::GameSearch> search;
    bool enteredGameFolder = false;
};
