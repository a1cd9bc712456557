#include "Forms.h"

#include "Main.h"
#include "Menu.h"

namespace wk {

TFormMenu* FormMenu = nullptr;
TFormMain* FormMain = nullptr;
ui::FormBase* FormAbout = nullptr;
ui::FormBase* FormInternet = nullptr;
ui::FormBase* FormExpressions = nullptr;

void createForms() {
    FormMenu = new TFormMenu();
    FormMain = new TFormMain();
    // FormAbout, FormInternet and FormExpressions follow here, in this order.
}

void destroyForms() {
    delete FormExpressions;
    delete FormInternet;
    delete FormAbout;
    delete FormMain;
    delete FormMenu;
    FormExpressions = FormInternet = FormAbout = nullptr;
    FormMain = nullptr;
    FormMenu = nullptr;
}

} // namespace wk
