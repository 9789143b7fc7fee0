#include "show/show_screen.h"

#include "engine/show_timing.h"
#include "engine/tour.h"
#include "platform/draw_tools.h"

namespace {

constexpr ColorRef kBlack = 0x000000;
constexpr ColorRef kWhite = 0xFFFFFF;
constexpr int kWaitingPoints = 200;
constexpr const char* kWaitingFace = "ＭＳ Ｐ明朝";
constexpr const char* kWaitingText = "最初の画像を計算しています。しばらくお待ちください。";

}  // namespace

void CShowScreen::PaintScreen(CDC& dc)
{
    if (m_nShown >= m_nFirstShownPicture) {
        DrawPicture(&dc);
    } else {
        PaintWaitingScreen(dc);
    }
}

int CShowScreen::DrawPicture(CDC* pDC)
{
    const ImageBuffer& image = m_bShowGrid ? m_pGrid : m_pDisplay;
    if (!image) {
        return 0;
    }
    return pDC->StretchDIBits(0, 0, m_nWidth, m_nHeight, 0, 0, m_nWidth, m_nHeight, image.get(),
                              MakeDibHeader(m_nWidth, m_nHeight));
}

void CShowScreen::PaintWaitingScreen(CDC& dc)
{
    CDrawTools tools(&dc);
    tools.SelectPenBrush(kBlack, kBlack, 0);
    tools.SelectTextStyle(kWhite, kBlack, kWaitingPoints, kWaitingFace);
    dc.Rectangle(0, 0, m_nWidth, m_nHeight);
    // The background mode stays opaque: the text cell is filled black.
    const CSize extent = dc.GetTextExtent(kWaitingText);
    dc.TextOut((m_nWidth - extent.cx) / 2, (m_nHeight - extent.cy) / 2, kWaitingText);
    tools.RestoreTextStyle();
    tools.RestorePenBrush();
}

ShowRequest CShowScreen::OnShowInput(ShowInput input)
{
    switch (input) {
    case ShowInput::LeftButtonDown:
    case ShowInput::EscapeKey:
        return ShowRequest::Stop;
    case ShowInput::RightButtonDown:
        m_bShowGrid = 1;
        return ShowRequest::Redraw;
    case ShowInput::RightButtonUp:
        m_bShowGrid = 0;
        return ShowRequest::Redraw;
    case ShowInput::MiddleButtonDown:
        AskRecolour();
        return ShowRequest::Redraw;
    }
    return ShowRequest::Nothing;
}

bool CShowScreen::StartTour(ITourOwner& owner)
{
    m_nTourState = 1;
    m_bRunning = 1;
    if (!platform::BeginThread(TourThread, &owner)) {
        m_nTourState = -1;
        return false;
    }
    return true;
}

void CShowScreen::StopTour()
{
    m_bRunning = 0;
    StopWorkers();
    // The tour thread never waits for the caller's thread. A state still 0 means no tour
    // thread has been started.
    while (m_nTourState == 1) {
        platform::Sleep(kStopPollMs);
    }
}
