// The editor tab: composing filter lines on the five level lines.
#include "config/interfaz.h"

namespace kalvorin::config {

void TForm1::btn_addClick() {}
void TForm1::btn_andClick() {}
void TForm1::btn_orClick() {}
void TForm1::btn_rotateClick() {}
void TForm1::btn_clearClick() {}
void TForm1::btn_addsecureClick() {}
void TForm1::btn_addtrashClick() {}
void TForm1::btn_addsuspectClick() {}
void TForm1::edt_0Change() {}
void TForm1::edt_1Change() {}
void TForm1::edt_2Change() {}
void TForm1::edt_3Change() {}
void TForm1::edt_4Change() {}
void TForm1::chk_l2Click() {}
void TForm1::chk_l3Click() {}
void TForm1::chk_l4Click() {}
void TForm1::chk_expertClick() {}

}  // namespace kalvorin::config
