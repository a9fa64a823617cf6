#pragma once

#include <string>

namespace tkan {

// How a message box is captioned. The program shows three kinds of box: the
// application's own ("TKAN"), warnings ("Warning") and device-level messages
// captioned with the maker's name ("Brennix").
enum class MessageStyle { Tkan, Warning, Brennix };

enum class Answer { Ok, Yes, No, Cancel };

enum class QuestionButtons { YesNo, YesNoCancel, OkCancel };

// Everything the core says to the operator goes through this seam: a message
// box on the desktop, standard error in the command-line tools, a recording
// in the tests. It carries the platform call and no rule of its own.
class Prompter {
public:
    virtual ~Prompter() = default;

    virtual void Message(MessageStyle style, const std::string& text) = 0;
    virtual Answer Ask(MessageStyle style, const std::string& text, QuestionButtons buttons) = 0;
};

// The caption each style carries on screen.
const char* MessageCaption(MessageStyle style);

}  // namespace tkan
