// The document's entries in the command table: a handler and an update rule
// per command id. Each group of commands registers itself from one function
// here, so adding a group is adding one call.
#include "document/DocumentCommands.h"

#include "document/CQuillfenEditorDoc.h"
#include "platform/CommandTable.h"

namespace {

void RegisterUndoCommands(CQuillfenEditorDoc& doc, CommandTable& table) {
    table.Add(
        CommandTarget::Document, kCmdEditUndo, [&doc] { doc.OnEditUndo(); },
        [&doc](CommandUpdate& u) { u.Enable(doc.CanUndo()); });
    table.Add(
        CommandTarget::Document, kCmdEditRedo, [&doc] { doc.OnEditRedo(); },
        [&doc](CommandUpdate& u) { u.Enable(doc.CanRedo()); });
}

}  // namespace

void CQuillfenEditorDoc::RegisterCommands(CommandTable& table) {
    RegisterUndoCommands(*this, table);
    // Edit, Modify, Image, Selection, tool, Settings and Pose Editor commands
    // register here as their groups are added.
}
