// The outgoing queues: shared between the main loop and the bus threads, so every step is locked.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/fifo_buffer.h"
#include "gwbus/log.h"

namespace {

class Locked {
public:
    explicit Locked(fifo_buffer *q) : q_(q) { pthread_mutex_lock(&q_->lock); }
    ~Locked() { pthread_mutex_unlock(&q_->lock); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    fifo_buffer *q_;
};

fifo_node *take_first(fifo_buffer *q)
{
    fifo_node *n = q->first;
    if (!n)
        return nullptr;
    q->first = n->next;
    if (!q->first)
        q->last = nullptr;
    q->num--;
    return n;
}

int append(fifo_buffer *q, void *data, uint32_t len)
{
    auto *n = static_cast<fifo_node *>(calloc(1, sizeof(fifo_node)));
    if (!n) {
        GWLOG(LOG_LVL_ERR, "add fifo buffer error, %s", strerror(errno));
        return -1;
    }
    n->len = len;
    n->data = data;
    if (q->num > 0) {
        if (!q->last) {
            GWLOG(LOG_LVL_ERR, "add fifo node error.");
            free(n);
            return -1;
        }
        q->last->next = n;
    } else {
        q->first = n;
    }
    q->last = n;
    q->num++;
    return 0;
}

}  // namespace

extern "C" int fifo_buffer_init(fifo_buffer *q, int capacity)
{
    if (!q)
        return -1;
    memset(q, 0, sizeof *q);
    pthread_mutex_init(&q->lock, nullptr);
    q->capacity = capacity;
    return 0;
}

extern "C" int fifo_buffer_put(fifo_buffer *q, void *data, uint32_t len)
{
    if (!q)
        return -1;
    Locked l(q);
    if (q->num >= q->capacity) {
        GWLOG(LOG_LVL_WARN, "fifo buffer is full.");
        return -1;
    }
    return append(q, data, len);
}

extern "C" int fifo_buffer_put_evict(fifo_buffer *q, void *data, uint32_t len)
{
    if (!q)
        return -1;
    Locked l(q);
    if (q->capacity <= 0)
        return -1;
    while (q->num >= q->capacity) {
        fifo_node *old = take_first(q);
        if (!old)
            break;
        free(old->data);
        free(old);
    }
    return append(q, data, len);
}

extern "C" int fifo_buffer_get(fifo_buffer *q, void **data, uint32_t *len)
{
    if (!q || !data)
        return -1;
    Locked l(q);
    fifo_node *n = take_first(q);
    if (!n)
        return -1;
    *data = n->data;
    if (len)
        *len = n->len;
    free(n);
    return 0;
}

extern "C" int fifo_buffer_get_head(fifo_buffer *q, void **data, uint32_t *len)
{
    if (!q || !data)
        return -1;
    Locked l(q);
    if (!q->first)
        return -1;
    *data = q->first->data;
    if (len)
        *len = q->first->len;
    return 0;
}

extern "C" int fifo_buffer_get_num(fifo_buffer *q)
{
    if (!q)
        return 0;
    Locked l(q);
    return q->num;
}

extern "C" int fifo_buffer_clear(fifo_buffer *q)
{
    if (!q)
        return 0;
    Locked l(q);
    while (fifo_node *n = take_first(q)) {
        free(n->data);
        free(n);
    }
    q->num = 0;
    return 0;
}

extern "C" void fifo_buffer_destroy(fifo_buffer *q)
{
    if (!q)
        return;
    fifo_buffer_clear(q);
    pthread_mutex_destroy(&q->lock);
}
