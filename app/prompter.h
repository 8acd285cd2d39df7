#pragma once

#include "engine/front_end.h"

#include <QString>
#include <QStringList>

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

// The engine's messages (unopenable output file, decoding errors), in the
// user's language, held until the run has ended: one failure is one box,
// which says what went wrong and then what it means for the conversion.
class CPrompterNotifier : public UserNotifier {
public:
    explicit CPrompterNotifier(CPrompter& prompter) : m_prompter(prompter) {}
    void showMessage(const std::string& text, MessageIcon icon) override;
    // Holds a message of the window's own, already in the user's language.
    void hold(const QString& text, MessageIcon icon);
    // One box, captioned with the program name, with the held messages and
    // then `closing` (if any); nothing when there is neither. The box's icon
    // is the gravest of theirs, a warning at least for `closing`.
    void showHeld(QWidget* owner, const QString& closing = QString());

private:
    CPrompter& m_prompter;
    QStringList m_held;
    MessageIcon m_gravest = MessageIcon::Information;
};

// A numbered text of the string table, in the user's language.
QString tableString(int id);
// The same with its "%s" replaced by `argument`.
QString tableString(int id, const QString& argument);
