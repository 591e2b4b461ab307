#include "platform/qt/CView.h"

#include "document/DocumentHost.h"

DocumentHost* CView::GetFrameHost() const { return dynamic_cast<DocumentHost*>(window()); }

void CView::OnUpdate(CView*, int) { update(); }

void CView::RegisterCommands(CommandTable&) {}
