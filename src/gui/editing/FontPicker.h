#pragma once

#include <QDialog>

#include <optional>

class Prompt;
class QComboBox;
class QLabel;

// The font picker: the font families a web page can name, a sample line in
// the chosen face, OK and Cancel. OK without a choice asks the user to choose
// or cancel; Cancel, Escape and closing the window give no face.
class FontPicker final : public QDialog
{
    Q_OBJECT
public:
    explicit FontPicker(Prompt& prompt, QWidget* parent = nullptr);

    // Shows a picker modally and returns the chosen face, or nullopt.
    static std::optional<QString> choose(Prompt& prompt, QWidget* parent);

    // The list offered: the common web families and the generic ones first,
    // then the `installed` families by the names pages use, without the
    // foundry fontconfig adds ("Nimbus Sans [urw]" is "Nimbus Sans"), each
    // once.
    static QStringList offeredFamilies(const QStringList& installed);

    // The face chosen with OK; nullopt before that or after a cancel.
    std::optional<QString> chosenFont() const { return m_chosen; }

private:
    void confirm();
    void showSample();

    QComboBox* m_fontList = nullptr;
    QLabel* m_sample = nullptr;
    std::optional<QString> m_chosen;
    Prompt& m_prompt;
};
