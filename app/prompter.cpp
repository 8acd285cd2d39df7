#include "app/prompter.h"

#include "app/engine_messages.h"
#include "app/string_table.h"
#include "app/ui_text.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

PromptAnswer CMessageBoxPrompter::prompt(const PromptRequest& request) {
    QMessageBox box(request.owner);
    box.setWindowTitle(request.caption);
    // The texts name files: characters, never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    switch (request.icon) {
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
    }
    if (request.buttons == PromptButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultAnswer == PromptAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else if (request.buttons == PromptButtons::OverwriteSkipCancel) {
        QPushButton* overwrite = box.addButton(uiText("&Overwrite all"), QMessageBox::AcceptRole);
        QPushButton* skip = box.addButton(uiText("&Skip those"), QMessageBox::RejectRole);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(skip);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == overwrite) return PromptAnswer::Yes;
        if (box.clickedButton() == skip) return PromptAnswer::No;
        return PromptAnswer::Cancel;
    } else if (request.buttons == PromptButtons::OkShowInFolder) {
        QPushButton* show = box.addButton(uiText("Show in folder"), QMessageBox::ActionRole);
        box.setDefaultButton(box.addButton(QMessageBox::Ok));
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return box.clickedButton() == show ? PromptAnswer::Yes : PromptAnswer::Ok;
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int answer = box.exec();
    if (request.buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    return answer == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
}

PromptRequest makePrompt(QWidget* owner, const QString& caption, const QString& text, MessageIcon icon,
                         PromptButtons buttons, PromptAnswer defaultAnswer) {
    PromptRequest request;
    request.owner = owner;
    request.caption = caption;
    request.text = text;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultAnswer = defaultAnswer;
    return request;
}

namespace {

int gravity(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Error:
            return 3;
        case MessageIcon::Warning:
            return 2;
        case MessageIcon::Question:
        case MessageIcon::Information:
            break;
    }
    return 1;
}

}  // namespace

void CPrompterNotifier::showMessage(const std::string& text, MessageIcon icon) {
    hold(engineMessageText(text), icon);
}

void CPrompterNotifier::hold(const QString& text, MessageIcon icon) {
    // The decoders' messages end in a line break, which the box needs not.
    QString held = text;
    while (held.endsWith(QLatin1Char('\n'))) held.chop(1);
    m_held.append(held);
    if (gravity(icon) > gravity(m_gravest)) m_gravest = icon;
}

void CPrompterNotifier::showHeld(QWidget* owner, const QString& closing) {
    if (!closing.isEmpty()) hold(closing, MessageIcon::Warning);
    if (m_held.isEmpty()) return;
    const QString text = m_held.join(QLatin1String("\n\n"));
    const MessageIcon icon = m_gravest;
    m_held.clear();
    m_gravest = MessageIcon::Information;
    m_prompter.prompt(makePrompt(owner, tableString(IDS_PROGRAM_NAME), text, icon));
}

QString tableString(int id) {
    return QCoreApplication::translate("StringTable", applicationString(id));
}

QString tableString(int id, const QString& argument) {
    QString text = tableString(id);
    // Only the first "%s" is an argument; a "%" inside the argument stays as it is.
    const qsizetype at = text.indexOf(QLatin1String("%s"));
    if (at >= 0) text.replace(at, 2, argument);
    return text;
}
