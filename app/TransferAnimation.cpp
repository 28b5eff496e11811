#include "app/TransferAnimation.h"

TransferAnimation::TransferAnimation(QWidget* pParent)
    : QLabel(pParent)
{
    setAlignment(Qt::AlignCenter);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { ShowFrame((m_nFrame + 1) % int(m_frames.size())); });
}

bool TransferAnimation::Open()
{
    m_frames.clear();
    for (int i = 0; i < kFrameCount; ++i) {
        QPixmap frame(QStringLiteral(":/tarnlow/transfer%1.png").arg(i));
        if (frame.isNull())
            break;
        m_frames.append(frame);
    }
    if (m_frames.size() != kFrameCount) {
        m_frames.clear();
        return false;
    }
    ShowFrame(0);
    return true;
}

void TransferAnimation::Play()
{
    if (m_frames.isEmpty())
        return;
    ShowFrame(0);
    m_timer.start();
}

void TransferAnimation::Stop()
{
    m_timer.stop();
    if (!m_frames.isEmpty())
        ShowFrame(0);
}

void TransferAnimation::ShowFrame(int nFrame)
{
    m_nFrame = nFrame;
    setPixmap(m_frames.at(nFrame));
}
