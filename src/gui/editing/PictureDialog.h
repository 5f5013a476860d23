#pragma once

#include <QDialog>
#include <QImage>
#include <QObject>
#include <QString>

class Workspace;
class EditCommands;
class MainView;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The picture's dialog (frmPicture): shows the chosen picture and asks for
// its alternative text, which OK needs unless "Decorative" says the picture
// shows nothing a reader needs (an empty alternative text).
class PictureDialog final : public QDialog
{
    Q_OBJECT
public:
    // `shown`: the picture as it is shown, already small enough for the
    // dialog; `description`: its name and size.
    PictureDialog(const QImage& shown, const QString& description, QWidget* parent = nullptr);

    // The alternative text; empty for a decorative picture.
    QString altText() const;

private:
    void updateOk();

    QLineEdit* m_alt;
    QCheckBox* m_decorative;
    QPushButton* m_ok;
};

// Format > Picture...: chooses a picture through the prompt's file dialog,
// shows the dialog and, on OK, puts the picture's tag at the caret of the box
// that had the focus, with the picture's copy prepared. A picture that cannot
// be used is refused with a message; the entry stays as it was.
class PictureCommand final : public QObject
{
    Q_OBJECT
public:
    PictureCommand(Workspace& ws, QWidget* window, EditCommands& edit, MainView& view);
    void run();

private:
    QWidget* m_window;
    EditCommands& m_edit;
    MainView& m_view;
    QString m_lastFolder;
    Workspace& m_ws;
};
