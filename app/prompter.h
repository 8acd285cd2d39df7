#pragma once

#include "engine/front_end.h"

#include <QString>

class QWidget;

// Message boxes. Every box of the program goes through one prompter, so the
// tests can record what would have been asked and give the answer.
// OverwriteSkipCancel asks about databases that exist already: Yes replaces
// them, No leaves them and skips their pictures, Cancel converts nothing.
// OkShowInFolder closes a summary of written files: Yes when "Show in
// folder" closed it, Ok otherwise.
enum class PromptButtons { Ok, YesNo, OverwriteSkipCancel, OkShowInFolder };
enum class PromptAnswer { Ok, Yes, No, Cancel };

struct PromptRequest {
    QWidget* owner = nullptr;  // no owner: a box of its own, as the engine's
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::Warning;
    PromptButtons buttons = PromptButtons::Ok;
    PromptAnswer defaultAnswer = PromptAnswer::Ok;
};

// A box's request in one call; a question names its buttons and default answer.
PromptRequest makePrompt(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon,
                         PromptButtons buttons = PromptButtons::Ok,
                         PromptAnswer defaultAnswer = PromptAnswer::Ok);

class CPrompter {
public:
    virtual ~CPrompter() = default;
    virtual PromptAnswer prompt(const PromptRequest& request) = 0;
};

// The real boxes: a modal QMessageBox.
class CMessageBoxPrompter : public CPrompter {
public:
    PromptAnswer prompt(const PromptRequest& request) override;
};

// The engine's messages (unopenable output file, decoding errors) as boxes
// without an owner window, captioned with the program name.
class CPrompterNotifier : public UserNotifier {
public:
    explicit CPrompterNotifier(CPrompter& prompter) : m_prompter(prompter) {}
    void showMessage(const std::string& text, MessageIcon icon) override;

private:
    CPrompter& m_prompter;
};

// A numbered text of the string table, in the user's language.
QString tableString(int id);
// The same with its "%s" replaced by `argument`.
QString tableString(int id, const QString& argument);
