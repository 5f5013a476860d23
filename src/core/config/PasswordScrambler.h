#pragma once

#include <QString>

class Prompt;

// The FTP password is kept in weblog.ini shifted by a fixed offset per
// character, so the file does not show it as typed. This hides it from a
// casual look; it is not encryption. Character codes are those of the
// Windows-1252 code page (0..255).
inline constexpr int kScrambleOffset = 17;

// scramble = true adds the offset, false subtracts it. A character whose new
// code would fall outside 0..255 (or that the code page cannot hold) stops the
// conversion with the message "Error encrypting/decrypting password on
// letter: " + that character, and the result is empty.
QString TextEncrypt(const QString& text, bool scramble, Prompt& prompt);

// The first letter of `text` that scrambling cannot carry (one the code page
// lacks, or whose shifted code passes 255, such as "\u00f6", "\u00ff" or
// "\u65e5"), or empty text when it carries them all.
QString unscramblableLetter(const QString& text);
