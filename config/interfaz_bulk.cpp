// The bulk tab: many filter lines at once from the memo or a file.
#include "config/interfaz.h"

namespace kalvorin::config {

void TForm1::mmo_origenClick() {}
void TForm1::edt_filenameClick() {}
void TForm1::btn_bulkexaminarClick() {}
void TForm1::btn_bulkprocesaClick() {}
void TForm1::btn_bulkaddsecureClick() {}
void TForm1::btn_bulkaddtrashClick() {}
void TForm1::btn_bulkaddsuspectClick() {}

}  // namespace kalvorin::config
