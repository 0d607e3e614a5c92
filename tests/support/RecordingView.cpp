#include "support/RecordingView.h"

void RecordingView::setCaption(const std::string& text)
{
    caption = text;
    writes.push_back("caption:" + text);
}

void RecordingView::setApplicationTitle(const std::string& text)
{
    applicationTitle = text;
    writes.push_back("title:" + text);
}

int RecordingView::showMessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet)
{
    boxes.push_back({text, kind, buttonSet});
    if (answers.empty())
        return setup::results::yes;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}
