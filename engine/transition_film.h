// The film of the zoom transition: it zooms into the old picture along the transition's way
// while fading to black.
//
// A film does not keep its frames. It keeps a copy of the picture they are made of and makes
// each frame when it is wanted, the next one on another processor while one is shown. So a
// film takes the room of three pictures however many frames it has (a 3840 × 2160 film of 31
// frames 75 MB, not 771 MB), and shows the same frames as one made whole beforehand.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "engine/image_buffer.h"
#include "engine/transition_way.h"

// Where frame `frame` of a film of `frameCount` frames stands: t from 0 to 1, the fade
// (√t, the share of black) and the eased position u on the way to the target.
struct FilmFrameTiming {
    double t = 0.0;
    double fade = 0.0;
    double ease = 0.0;
};
FilmFrameTiming FilmFrameAt(int frame, int frameCount);

// One film frame: the part `rect` of the source picture enlarged to the whole picture
// (nearest neighbour, pixels outside the picture taken from its nearest edge) and darkened
// by 1 − fade. A rectangle without width or height shows its one column or row of pixels.
void ComputeFilmFrame(const std::uint8_t* pSource, std::uint8_t* pFrame, int width, int height,
                      const PictureRect& rect, double fade);

class TransitionFilm {
public:
    // What a film holds beside the show's own pictures: the copy of the old picture and two
    // frames, the one shown and the one made meanwhile.
    static constexpr std::size_t kPictures = 3;

    // Room for a film of frameCount frames of width × height pixels. Where memory runs out
    // the film does without the second frame (each frame is then made after the one before
    // is shown), or, without room for a picture and one frame, has no frames at all.
    void Allocate(int width, int height, std::size_t frameCount);
    // No frames, no memory.
    void Clear();

    std::size_t size() const { return m_nFrames; }
    bool empty() const { return m_nFrames == 0; }

    // The film that zooms from the whole of pPicture (copied) into target.
    void Load(const std::uint8_t* pPicture, const PictureRect& target);

    // Frame f of the loaded film, made on up to `processors` threads (the caller's among
    // them) into the film's memory; valid until the film next makes a frame.
    const std::uint8_t* Frame(int f, int processors);

    // Shows each frame of the loaded film in turn, while running is 1: show is given the
    // frame, and returns once it has shown it.
    void Play(const std::function<void(const std::uint8_t* pFrame)>& show,
              const std::atomic<int>& running, int processors);

private:
    void MakeFrame(int f, std::uint8_t* pFrame, int threads) const;

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::size_t m_nFrames = 0;
    PictureRect m_target;
    ImageBuffer m_pPicture;
    ImageBuffer m_pFrames[2];
};
