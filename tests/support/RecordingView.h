#pragma once

#include "monitor/StatusView.h"
#include "setup/SetupView.h"
#include "support/ByteString.h"

#include <deque>
#include <string>
#include <vector>

// Stands in for the main window: records every text written and every box opened, and answers
// boxes from a queue (6, Yes, when the queue is empty).
class RecordingView : public monitor::StatusView, public setup::SetupView
{
public:
    struct Box
    {
        std::string text;
        setup::MessageKind kind;
        unsigned buttons;
    };

    void setCaption(const std::string& text) override;
    void setApplicationTitle(const std::string& text) override;
    void showPicture(monitor::Picture shown) override { pictures.push_back(shown); }
    void askForAttention() override { ++attentionAsked; }
    void withdrawAttention() override { ++attentionWithdrawn; }
    void showFolder(const std::string& folder) override { folderLabel = folder; }
    std::string entryText() override { return entry; }
    void setFolderLabel(const std::string& text) override { folderLabel = text; }
    int showMessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet) override;

    std::string caption = "Kelvoran";
    std::string applicationTitle = "kelvoran";
    std::vector<std::string> writes; // "caption:" or "title:" then the text, in order
    std::vector<monitor::Picture> pictures;
    int attentionAsked = 0;
    int attentionWithdrawn = 0;
    std::string entry;
    std::string folderLabel = "未設定";
    std::vector<Box> boxes;
    std::deque<int> answers;
};
