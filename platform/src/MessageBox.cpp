#include "platform/MessageBox.h"

#include "Display.h"

#include <mutex>

namespace platform {

namespace {

std::mutex responderMutex;
MessageBoxResponder responder;

bool Offers(MessageButtons buttons, MessageAnswer answer) {
    switch (buttons) {
        case MessageButtons::Ok:
            return answer == MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return answer == MessageAnswer::Ok || answer == MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return answer == MessageAnswer::Yes || answer == MessageAnswer::No;
        case MessageButtons::YesNoCancel:
            return answer != MessageAnswer::Ok;
    }
    return false;
}

MessageAnswer FirstButton(MessageButtons buttons) {
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel
               ? MessageAnswer::Ok
               : MessageAnswer::Yes;
}

MessageAnswer CancellingButton(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

MessageAnswer ShowMessageBox(const MessageBoxRequest& request) {
    MessageBoxResponder answerer;
    {
        std::lock_guard<std::mutex> guard(responderMutex);
        answerer = responder;
    }
    if (!answerer && !display::Active()) return FirstButton(request.buttons);
    const MessageAnswer answer =
        answerer ? answerer(request) : display::ShowMessage(request);
    return Offers(request.buttons, answer) ? answer : CancellingButton(request.buttons);
}

void SetMessageBoxResponder(MessageBoxResponder newResponder) {
    std::lock_guard<std::mutex> guard(responderMutex);
    responder = std::move(newResponder);
}

}  // namespace platform
