#pragma once

#include <functional>
#include <string>

namespace platform {

// Message boxes. Without a display every box is answered by a responder: the one set
// with SetMessageBoxResponder, or by default the box's first button (OK or Yes).

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Question, Warning, Error };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    const void* owner = nullptr;  // the owner window; null for none
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    bool systemModal = false;  // above every window of every program
};

using MessageBoxResponder = std::function<MessageAnswer(const MessageBoxRequest&)>;

// Shows the box and answers the button chosen. An answer that is not one of the box's
// buttons counts as the box's cancelling button (Cancel, or No for Yes/No, or OK).
// May be called from any thread; the responder runs on the calling thread.
MessageAnswer ShowMessageBox(const MessageBoxRequest& request);

// Sets the responder for every later box; null restores the default.
void SetMessageBoxResponder(MessageBoxResponder responder);

}  // namespace platform
