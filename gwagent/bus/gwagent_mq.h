/* The local message queue: a named pipe that carries short words from the bus thread and from the
 * plug-in host to the main thread, which acts on each word it recognises. */
#ifndef GWAGENT_BUS_GWAGENT_MQ_H
#define GWAGENT_BUS_GWAGENT_MQ_H

#include <stddef.h>

#include <gw/ubox.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GWAGENT_MQ_FIFO "/tmp/gwagentmq.fifo"
#define GWAGENT_MQ_READ_MAX 128
#define GWAGENT_MQ_NAME_MAX 127

/* Words in the order they are tested. */
#define GWAGENT_MQ_MNG_PLAT 0
#define GWAGENT_MQ_NET_INFO 1
#define GWAGENT_MQ_FTTO_DEVICE 2
#define GWAGENT_MQ_MOD_UPGRADE 3
#define GWAGENT_MQ_WORDS 4
extern const char *const g_mq_words[GWAGENT_MQ_WORDS];

extern struct uloop_fd g_fd_mq_read;
extern struct uloop_timeout g_timeout_mod_upgrade;

/* Main thread, once uloop is initialised: makes the pipe (mode 0600) and opens its read end and the
 * agent's own write end. 0, or -1 when the queue is unavailable. */
int gwagent_mq_open(void);
/* Closes both ends and cancels the upgrade report. */
void gwagent_mq_close(void);
/* Any thread: one non-blocking write of the text when the write end is open; the result is not
 * checked (a full pipe drops the message). 0 written, -1 queue not open. */
int gwagent_mq_write(const char *text, size_t len);

void ucf_gwagentMQ_cb(struct uloop_fd *fd, unsigned int events);
/* Acts on one recognised word; text is the whole read text. */
void gwagent_mq_handle(int index, const char *text);
/* The words of one read text, each handled once in index order. */
void gwagent_mq_dispatch(const char *text);
void ucf_timeout_mod3_upgrade_cb(struct uloop_timeout *t);
/* The module waiting for its delayed upgrade report. */
const char *gwagent_mq_pending_module(void);

#ifdef __cplusplus
}
#endif

#endif
