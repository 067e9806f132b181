#include "model/StateObject.h"

#include "control/BaseControl.h"

StateObject::~StateObject() {
    BaseControl* control = theControl();
    if (control && control->currentStateObject == this) control->currentStateObject = nullptr;
}
