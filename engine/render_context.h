// The state of one running show: the view, the three picture images and the transition
// frames, the palette, the worker bands, the caption, and the flags and counters through which
// the user-interface thread, the tour thread and the render workers coordinate.
//
// The screen window of the Windows program is a CRenderContext; so are the headless windows
// of the renderer and the tests. Every drawing goes through the window handed to the
// constructor, which must outlive the context.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/image_buffer.h"
#include "engine/row_claim.h"
#include "engine/show_timing.h"
#include "engine/transition_film.h"
#include "platform/gdi.h"
#include "platform/image_layout.h"
#include "platform/system.h"

class CWnd;

class CRenderContext;

// A text for the grid, anchored at an image pixel (row counted from the bottom), lying
// horizontally or turned a quarter turn counter-clockwise.
struct LabelRequest {
    int x = 0;
    int y = 0;
    std::string text;
    int bVertical = 0;
};

// One band of image rows for one render worker.
struct WorkerBand {
    int nFirstRow = 0;                 // first image row (inclusive)
    int nEndRow = 0;                   // row after the last one
    CRenderContext* pOwner = nullptr;  // the context the worker reads and writes
    std::atomic<int> nState{0};        // 1 running, -1 finished (completed or aborted)
    std::atomic<int> bGo{0};           // 1 may run, 0 stop at the next sample
    // Set by a worker that found no memory for its samples: the renderer renders the band.
    std::atomic<int> bOutOfMemory{0};
    // The rows the worker has begun, and those a helper took over at the end of a render.
    RowClaim rowClaim;
    // For the rows a helper took over: the band (or piece) they came from, whose bGo it obeys.
    const WorkerBand* pSplitFrom = nullptr;

    const std::atomic<int>& GoFlag() const
    {
        return pSplitFrom != nullptr ? pSplitFrom->GoFlag() : bGo;
    }
};

// The tour thread's hold on the display image while it copies a new picture in, zooms out of
// it or saves it: waits out a recolouring in progress (a few milliseconds at most), and on
// letting go does the recolourings asked for meanwhile. So a saved picture is always one
// recolouring of one picture, and a middle click never waits for a file to be written.
class DisplayHold {
public:
    explicit DisplayHold(CRenderContext& context);
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

private:
    CRenderContext& m_context;
};

class CRenderContext {
public:
    explicit CRenderContext(CWnd& window);
    CRenderContext(const CRenderContext&) = delete;
    CRenderContext& operator=(const CRenderContext&) = delete;
    virtual ~CRenderContext();

    // What the window's creation does for the show: ten bands per processor, and the palette.
    // The headless renderer may keep fewer processors busy than the machine has.
    void CreateBandsAndPalette(int processorCount = platform::GetProcessorCount());
    void BuildPalette();
    // Sizes the images for a width × height show, with a transition film of maxFrames frames, and
    // measures the caption, unless m_bOwnerMeasuresCaption. When the images do not fit in
    // memory the Windows show ends the process with its message; an unattended show, or one
    // whose owner reports it (m_bOwnerReportsNoMemory), throws std::bad_alloc instead. Zero
    // sizes change nothing.
    void AllocImages(int width, int height, std::size_t maxFrames = kMaxTransitionFrames);

    // Renders one view into the work image and publishes it (see frame_renderer.cpp).
    // onCounted runs once the render is counted in m_nShown and m_nStep, before any work:
    // a repaint asked for there sees the new count.
    int Render(double centreRe, double centreIm, double span,
               const std::function<void()>& onCounted = {});
    // What Render does first: the view's picture in the work image, without its caption.
    // False when a stop ended it.
    bool RenderBands(double centreRe, double centreIm, double span,
                     const std::function<void()>& onCounted = {});
    // The caption's size for the images' width: m_nCaptionPoints, m_sizeCaption and
    // m_sizeCaptionBox.
    void MeasureCaption();
    void StampCaption();

    // Chooses the centre and span of the next zoom in the finished picture; 0 when the
    // search gives up.
    int FindTarget(double* pCentreRe, double* pCentreIm, double* pSpan);
    // Shows the way from the picture on screen (the previous view) into the new view.
    void PlayZoomTransition(double oldCentreRe, double oldCentreIm, double oldSpanRe,
                            double oldSpanIm);
    // Draws the coordinate grid and its value labels into the grid image.
    void DrawGrid();
    void StampLabel(LabelRequest request);
    // Writes the display image, and the grid image while it is shown, into the slot's files.
    void SaveImages(int slot);
    // The middle button's recolouring of the display image, in place.
    void RecolourDisplay();
    // The middle button on the user-interface thread: RecolourDisplay at once, or, while the
    // tour thread holds the display image, left to it (DisplayHold). Never waits.
    void AskRecolour();

    // Asks every worker of the running render to stop at its next sample.
    void StopWorkers();

    int GetStride() const { return ImageStride(m_nWidth); }
    CWnd& GetWindow() const { return m_window; }

    // The render context proper, in the order the show's state is documented.
    std::atomic<int> m_bShowGrid{0};
    std::vector<WorkerBand> m_bands;
    // Rows split off running bands once every band has started, each computed by a worker of
    // its own, so that no processor idles while the last bands finish; one render's.
    std::deque<WorkerBand> m_pieces;
    std::atomic<int> m_nTourState{0};
    std::atomic<int> m_bRunning{0};
    std::atomic<int> m_nShown{0};
    int m_nStep = 0;
    CSize m_sizeCaption;
    std::string m_strCaption;
    CSize m_sizeCaptionBox;
    double m_dSpanRe = 0.0;
    double m_dSpanIm = 0.0;
    double m_dCentreRe = 0.0;
    double m_dCentreIm = 0.0;
    int m_nCaptionPoints = 0;
    int m_nSubsamples = 4;
    int m_nWidth = 0;
    int m_nHeight = 0;
    ImageBuffer m_pWork;
    ImageBuffer m_pDisplay;
    ImageBuffer m_pGrid;
    std::uint8_t m_palBlue[1000] = {};
    std::uint8_t m_palGreen[1000] = {};
    std::uint8_t m_palRed[1000] = {};
    // The transition frames, kept as the film they are made of.
    TransitionFilm m_frames;

    // Where the picture files go: the executable's path cut at its last ".", unless a
    // caller names another base.
    std::string m_strFileBase;
    // Off when the user asked for no files or they have nowhere to go.
    bool m_bSaveImages = true;
    // The clocks the target finder reads.
    platform::Clock* m_pTargetClock = &platform::SystemClock();
    // The clock that paces the show for a person: the pause between series, the outline's
    // steps and its blinking.
    platform::Clock* m_pShowClock = &platform::SystemClock();
    // Nobody is watching: skip the waits that exist only for a person (the pause between
    // series, the outline's pacing, the blinking).
    bool m_bUnattended = false;
    // Images that do not fit throw std::bad_alloc to AllocImages' caller, which tells the user
    // in its own way (the Linux show on standard error), instead of the Windows message box.
    bool m_bOwnerReportsNoMemory = false;
    // AllocImages leaves the caption to its owner, who calls MeasureCaption before the first
    // caption is stamped: the one-picture renderer does, on a thread of its own, while the
    // picture is computed, since finding and loading the fonts takes as long as a picture.
    bool m_bOwnerMeasuresCaption = false;
    // Told when a zoom transition has loaded its film into m_frames, before it is shown.
    std::function<void()> m_fnFilmReady;
    // Told when a picture file could not be saved, with its name and the errno saying why.
    std::function<void(const std::string& path, int error)> m_fnSaveFailed;
    // Processors a render keeps busy: never more workers alive than this.
    int m_nProcessors = 0;
    // The display image is rewritten by two threads: the user-interface thread recolours it,
    // the tour thread copies each new picture in, zooms out of it and saves it. One of them at
    // a time holds it (1); recolourings asked for while the tour thread does are counted here
    // until it lets go.
    std::atomic<int> m_bDisplayHeld{0};
    std::atomic<int> m_nRecoloursAsked{0};

private:
    CWnd& m_window;
    // The folder whose leftover temporary files the first save into it removed.
    std::optional<std::string> m_sweptFolder;
};
