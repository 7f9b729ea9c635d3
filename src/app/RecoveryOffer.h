#pragma once

#include <QString>

#include <functional>

class Autosave;
class FrmProg;
struct AppContext;

// What a crashed or killed run left unsaved, offered back one document at a
// time: Yes reopens it under its old name, modified; No discards it; a box
// closed without an answer leaves the copy for the next start.
namespace RecoveryOffer {

// The folder of the recovery copies in the settings folder.
QString folder(const AppContext &ctx);
// `makeForm` opens a new document window of the given axis count.
void offer(AppContext &ctx, Autosave &autosave, const std::function<FrmProg *(int)> &makeForm);

} // namespace RecoveryOffer
