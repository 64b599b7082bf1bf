// The pictures played while the card wait dialog waits: the frames of the
// "wait" resource, 150 ms each, from the first to the last, repeating.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <vector>

class CCardWaitAnimation : public QLabel {
    Q_OBJECT

public:
    static constexpr int kFrameCount = 11;
    static constexpr int kFrameMs = 150;

    explicit CCardWaitAnimation(QWidget* parent = nullptr);

    void Play();
    void Stop();
    bool IsPlaying() const { return m_timer.isActive(); }
    int CurrentFrame() const { return m_nFrame; }

private:
    void ShowFrame(int frame);

    std::vector<QPixmap> m_frames;
    QTimer m_timer;
    int m_nFrame = 0;
};
