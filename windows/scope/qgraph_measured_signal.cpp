#include "windows/scope/qgraph_measured_signal.h"

#include "widgets/graph/qgraphaxis.h"
#include "windows/scope/vyr_scope_signal_item.h"

#include <QWidget>

#include <climits>
#include <cmath>

namespace {

// Columns narrower than this show nothing.
constexpr int min_width = 16;

} // namespace

QGraphMeasuredSignal::QGraphMeasuredSignal(QWidget *graph, const QString &name, const QString &unit)
    : QGraphSignal(graph, name, unit)
{
}

QGraphMeasuredSignal::~QGraphMeasuredSignal()
{
    if (VyrScopeSignalItem *item = m_item) {
        m_item = nullptr;
        item->detach_from_scope();
    }
}

void QGraphMeasuredSignal::fill(double &t, double dt, double t_end, int &free, bool rebuilding)
{
    VyrMessageRing<ScopeSample> &ring = m_item->samples();
    while (!ring.at_end()) {
        if (rebuilding && t > t_end + dt)
            break;
        const ScopeSample sample = ring.view_record();
        if (sample.time > t_end)
            break; // waits for a later fetch
        if (sample.time > t) {
            while (free > 0) {
                --free;
                t += dt;
                if (sample.time <= t) {
                    m_samples.append(sample.value);
                    break;
                }
                m_samples.append(no_value);
            }
        }
        if (free == 0)
            break;
        m_last_time = sample.time;
        ring.move_view_pointer(1);
    }
}

void QGraphMeasuredSignal::fetch(bool unmoved, bool full)
{
    m_first_new_column = -1;
    const int width = m_rect.width();
    const double dt = m_x_axis ? m_x_axis->time_per_pixel() : 0.0;
    // Without room or without a positive time per column (an empty x range)
    // there is nothing to place.
    if (width < min_width || !m_item || !(dt > 0.0) || !std::isfinite(dt)) {
        m_samples.reset();
        return;
    }
    // Rounded to the nearest column, also backwards (truncating -9.5 would
    // leave the rebuilt curve a column off the axis).
    const double columns = std::floor((m_x_axis->minimum() - m_first_time) / dt + 0.5);
    int shift = 0;
    if (std::isfinite(columns) && std::fabs(columns) < double(INT_MAX / 2)) {
        shift = int(columns);
        m_first_time += shift * dt;
    } else {
        // Too far to count in columns: start over at the left edge.
        m_first_time = m_x_axis->minimum();
        full = true;
    }
    const double t_end = m_first_time + width * dt;
    if (shift < 0)
        full = true;
    if (full) {
        shift = 0;
        m_samples.reset();
    }
    const int old = m_samples.count();
    m_samples.drop_front(shift);
    const int kept = m_samples.count();
    double t = m_first_time + kept * dt;
    // One entry of the ring stays empty: it tells a full ring from an empty one.
    int free = m_samples.capacity() - 1 - kept;

    VyrMessageRing<ScopeSample> &ring = m_item->samples();
    if (!full) {
        fill(t, dt, t_end, free, false);
    } else {
        ring.save_view_pointer();
        ring.move_view_pointer(-int(ring.record_count()));
        set_previous_sample(no_value, no_value);
        bool skipped = false;
        while (!ring.at_end() && ring.view_record().time < t) {
            ring.move_view_pointer(1);
            skipped = true;
        }
        if (skipped) {
            ring.move_view_pointer(-1);
            const ScopeSample previous = ring.view_record();
            set_previous_sample(previous.time, previous.value);
            ring.move_view_pointer(1);
        }
        fill(t, dt, t_end, free, true);
        ring.restore_view_pointer();
    }

    const int now = m_samples.count();
    if (now > kept)
        m_first_new_column = kept;
    // Without a move of the view the new columns are painted here; after a
    // move the x axis copies the plot and paints the new strip.
    if (unmoved && !full && now > old && m_owner)
        m_owner->update(QRect(m_rect.left() + old - 1, m_rect.top(), now - old + 2, m_rect.height()));
}
