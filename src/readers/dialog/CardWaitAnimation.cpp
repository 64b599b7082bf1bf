#include "readers/dialog/CardWaitAnimation.h"

CCardWaitAnimation::CCardWaitAnimation(QWidget* parent)
    : QLabel(parent)
{
    for (int i = 0; i < kFrameCount; ++i)
        m_frames.emplace_back(QStringLiteral(":/images/wait%1.png").arg(i, 2, 10, QLatin1Char('0')));
    setAlignment(Qt::AlignCenter);
    // Transparent: the dialog's background shows around the pictures.
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { ShowFrame((m_nFrame + 1) % kFrameCount); });
    ShowFrame(0);
}

void CCardWaitAnimation::Play()
{
    ShowFrame(0);
    m_timer.start();
}

void CCardWaitAnimation::Stop()
{
    m_timer.stop();
}

void CCardWaitAnimation::ShowFrame(int frame)
{
    m_nFrame = frame;
    setPixmap(m_frames[static_cast<size_t>(frame)]);
}
