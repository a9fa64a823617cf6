#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/Prompter.h"

namespace tkan::test {

// Records every text shown and answers questions from a script (Yes when the
// script has run out).
class RecordingPrompter : public Prompter {
public:
    struct Shown {
        MessageStyle style;
        std::string text;
    };

    void Message(MessageStyle style, const std::string& text) override { shown.push_back({style, text}); }

    Answer Ask(MessageStyle style, const std::string& text, QuestionButtons) override
    {
        shown.push_back({style, text});
        if (answers.empty())
            return Answer::Yes;
        Answer next = answers.front();
        answers.pop_front();
        return next;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
};

}  // namespace tkan::test
