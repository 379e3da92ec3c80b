#include "gui/app/qpg_view.h"

CQpgView::CQpgView(QWidget* parent) : QWidget(parent)
{
    setObjectName("view");
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}
