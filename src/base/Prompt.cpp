#include "base/Prompt.h"

#include <cstdio>

Answer QuietPrompt::ask(const Message& m)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
    switch (m.buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    }
    return Answer::Cancel;
}
