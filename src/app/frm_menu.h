#pragma once

#include "forms/form.h"
#include "forms/menu_item.h"

class QMenu;

namespace zelvia {

// The popup carrier: a form that is never shown and only carries the popup menu's items.
class frmMenu final : public rt::Form {
public:
    frmMenu();

    QMenu* mnuPopUp;
    rt::MenuItem pmnuPrint;
    rt::MenuItem pmnuCopy;
    rt::MenuItem mnuDelete;

    void pmnuPrint_Click();
    void pmnuCopy_Click();
    void mnuDelete_Click();

    // Raises Click of the item behind `action` (the item the user chose in the popup).
    void choose(const QAction* action);
};

// Loads the carrier on first use; later calls find it loaded.
frmMenu& LoadMenuCarrier();
// The carrier when loaded, else nullptr.
frmMenu* MenuCarrier();
void UnloadMenuCarrier();

} // namespace zelvia
