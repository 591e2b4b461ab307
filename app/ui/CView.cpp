#include "app/ui/CView.h"

#include "app/ui/CMainFrame.h"

CMainFrame* CView::GetParentFrame() const { return qobject_cast<CMainFrame*>(window()); }

void CView::OnUpdate(CView*, int) { update(); }

void CView::RegisterCommands(CommandTable&) {}
