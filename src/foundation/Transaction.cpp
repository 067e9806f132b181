#include "foundation/Transaction.h"

bool IsGroupMarker(const LinkedListObject* record) {
    const auto* transaction = dynamic_cast<const BaseTransaction*>(record);
    return transaction && transaction->GetTransactionType() == kTransactionMarkerType;
}

bool IsGroupStart(const LinkedListObject* record) {
    const auto* marker = dynamic_cast<const TransactionMarker*>(record);
    return marker && marker->IsStart();
}
