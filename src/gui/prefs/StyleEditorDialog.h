#pragma once

#include "base/Settings.h"

#include <QDialog>

#include <optional>

class Workspace;
class MainView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

// The field style editor: face, size, colour and the four effects of each
// of the six entry fields, one field at a time, with a sample of the styled
// text. Opening it reads the style keys of the active configuration (and,
// like every load of the styles, disables Finish); Apply writes all of
// them; switching fields offers to save the field being left; Cancel reads
// the keys again, dropping what was not written.
class StyleEditorDialog final : public QDialog
{
    Q_OBJECT
public:
    StyleEditorDialog(Workspace& ws, MainView& view, QWidget* parent = nullptr);
    ~StyleEditorDialog() override;

    // Apply: stores the shown field's effects and size, writes the 42 keys.
    // A face, size or colour no font tag can carry is refused with a message
    // (false), and nothing is written.
    bool apply();
    void accept() override; // OK: Apply, then close when it was not refused
    void reject() override; // Cancel, Escape and the window frame

    bool fieldChanged() const { return m_fieldChanged; }

private:
    void build();
    void showFieldStyle();
    void storeShownField(const QString& field);
    void fieldChosen();
    void sizeScrolled(int position);
    void chooseFont();
    void chooseColor();
    void showFace(const QString& face);
    void showColor(const QString& color);
    bool refuseUnusable(std::optional<StyleField> only = std::nullopt);
    void markChanged();
    void updateSample();
    void describeForScreenReaders(const FieldStyle& style);

    MainView& m_view;
    QString m_currentField;
    bool m_fieldChanged = false;
    bool m_filling = false;

    QComboBox* m_field = nullptr;
    QPushButton* m_font = nullptr;
    QPushButton* m_fontDefault = nullptr;
    QLabel* m_fontSample = nullptr;
    QLineEdit* m_size = nullptr;
    QScrollBar* m_sizeScroll = nullptr;
    QPushButton* m_color = nullptr;
    QPushButton* m_colorDefault = nullptr;
    QLabel* m_colorText = nullptr;
    QLabel* m_colorSample = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QCheckBox* m_strikeout = nullptr;
    QCheckBox* m_underline = nullptr;
    QLabel* m_sample = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    Workspace& m_ws;
};
