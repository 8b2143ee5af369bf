/* Outgoing queue: a mutex-protected FIFO of owned, malloc'd texts with a capacity. */
#ifndef GWAGENT_CORE_FIFO_BUFFER_H
#define GWAGENT_CORE_FIFO_BUFFER_H

#include <pthread.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct fifo_node {
    uint32_t len;
    void *data;
    struct fifo_node *next;
} fifo_node;

typedef struct fifo_buffer {
    pthread_mutex_t lock;
    int32_t num;
    int32_t capacity;
    fifo_node *last;
    fifo_node *first;
} fifo_buffer;

/* Every operation holds the queue's lock for its whole work. Data handed in must come from malloc:
 * the queue releases it with free. */
int fifo_buffer_init(fifo_buffer *q, int capacity);
/* 0: the queue owns data. -1: full or out of memory; the caller keeps data. */
int fifo_buffer_put(fifo_buffer *q, void *data, uint32_t len);
/* Like fifo_buffer_put, but a full queue first releases its oldest entry (the newest `capacity`
 * entries are kept). The capacity test and the insertion happen under one lock. 0, or -1. */
int fifo_buffer_put_evict(fifo_buffer *q, void *data, uint32_t len);
/* 0: first entry removed, the caller owns *data (len may be null). -1: empty. */
int fifo_buffer_get(fifo_buffer *q, void **data, uint32_t *len);
/* 0: the first entry's data, left in the queue. -1: empty. */
int fifo_buffer_get_head(fifo_buffer *q, void **data, uint32_t *len);
int fifo_buffer_get_num(fifo_buffer *q);
/* Releases every entry and its data. 0. */
int fifo_buffer_clear(fifo_buffer *q);
/* Clears the queue and destroys its lock. */
void fifo_buffer_destroy(fifo_buffer *q);

#ifdef __cplusplus
}
#endif

#endif
