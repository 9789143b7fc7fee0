// The DC of a paint: BeginPaint on construction, EndPaint on destruction. Windows only, so
// it lives beside the backend rather than in the shared drawing API.
#pragma once

#include "platform/gdi.h"
#include "platform/window.h"

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
};
