#include "gui/QtPrompt.h"

#include "gui/editing/FontPicker.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

QWidget* parentWindow()
{
    // A question during start-up must not open behind the splash, which
    // stays on top: the splash makes way for it.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmSplash") && w->isVisible())
            w->hide();
    return QApplication::activeWindow();
}

} // namespace

Answer QtPrompt::ask(const Message& m)
{
    QMessageBox box(parentWindow());
    box.setWindowTitle(m.title);
    box.setText(m.text);
    switch (m.icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    QMessageBox::StandardButtons buttons;
    switch (m.buttons) {
    case Buttons::Ok:
        buttons = QMessageBox::Ok;
        break;
    case Buttons::OkCancel:
        buttons = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case Buttons::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(buttons);
    for (qsizetype i = 0; i < m.buttonTexts.size(); ++i) {
        const QMessageBox::StandardButton which[] = {QMessageBox::Yes, QMessageBox::No,
                                                     QMessageBox::Cancel};
        if (QAbstractButton* b = i < 3 ? box.button(which[i]) : nullptr)
            b->setText(m.buttonTexts[i]);
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return m.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

std::optional<QString> QtPrompt::input(const QString& text, const QString& title,
                                       const QString& defaultText)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parentWindow(), title, text, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

QStringList QtPrompt::nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            out << description.left(description.lastIndexOf(QLatin1Char('('))).trimmed() +
                       QStringLiteral(" (") + pattern + QLatin1Char(')');
        else
            out << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out;
}

std::optional<QString> QtPrompt::chooseFile(const FileRequest& r)
{
    QFileDialog dialog(parentWindow());
    dialog.setAcceptMode(r.kind == FileRequest::Save ? QFileDialog::AcceptSave
                                                     : QFileDialog::AcceptOpen);
    dialog.setFileMode(r.kind == FileRequest::Save ? QFileDialog::AnyFile
                                                   : QFileDialog::ExistingFile);
    dialog.setDirectory(r.initialDir);
    const QStringList filters = nameFilters(r.filter);
    dialog.setNameFilters(filters);
    if (r.filterIndex >= 1 && r.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[r.filterIndex - 1]);
    dialog.setDefaultSuffix(r.defaultExt);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<quint32> QtPrompt::chooseColor(quint32 initial)
{
    const QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
    const QColor c = QColorDialog::getColor(start, parentWindow());
    if (!c.isValid())
        return std::nullopt;
    return static_cast<quint32>(c.red()) | (static_cast<quint32>(c.green()) << 8) |
           (static_cast<quint32>(c.blue()) << 16);
}

std::optional<QString> QtPrompt::chooseFont()
{
    return FontPicker::choose(*this, parentWindow());
}

void QtPrompt::openDocument(const QString& pathOrUrl)
{
    const QUrl url = QFileInfo::exists(pathOrUrl) ? QUrl::fromLocalFile(pathOrUrl)
                                                  : QUrl::fromUserInput(pathOrUrl);
    QDesktopServices::openUrl(url);
}

void QtPrompt::beep()
{
    QApplication::beep();
}
