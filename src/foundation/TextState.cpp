#include "foundation/TextState.h"

TextState::TextState() : BaseParameterState({0, 1, 0, 1, 0, 0}) {
    StoreInteger(0, 10);
}
