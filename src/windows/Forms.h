#pragma once

namespace wk {

class TFormMenu;
class TFormMain;
class TFormAbout;
class TFormExpressions;
class TFormInternet;

/// The one instance of each window, created at start and living for the whole run.
extern TFormMenu* FormMenu;
extern TFormMain* FormMain;
extern TFormAbout* FormAbout;
extern TFormInternet* FormInternet;
extern TFormExpressions* FormExpressions;

/// Sets what the windows expect of the application, made before them: its name, that closing the
/// last window does not end it (the main menu's closing does), the default font, and this
/// desktop as the host that opens addresses and the help file.
void prepareApplication();

/// Creates the windows in their fixed order: FormMenu (the main window), FormMain, FormAbout,
/// FormInternet, FormExpressions. Each window's FormCreate runs while it is created, so the
/// later ones can read FormMenu's size and fields.
void createForms();

/// Destroys every window, in reverse order.
void destroyForms();

} // namespace wk
