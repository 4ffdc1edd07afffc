#pragma once

namespace skelder::ui {

// Chooses Qt Multimedia's FFmpeg backend unless QT_MEDIA_BACKEND already names one. Qt 6.4's
// GStreamer backend corrupts the heap after playback and plays our recordings without sound;
// the FFmpeg backend plays them with sound and seeks to the exact frame. Call it in main()
// before anything creates a multimedia object (the preview widget calls it too).
void preferFfmpegMediaBackend();

}  // namespace skelder::ui
