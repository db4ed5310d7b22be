// Deferred deletion of signal nodes: a callback may clear or disconnect the
// list that is calling it, so nodes unlinked while any signal fires wait for
// the outermost fire to return.
#include "engine/gui/gui_signal.h"

#include "engine/core/dynarray.h"

namespace {

struct PendingNode {
  void* node;
  void (*destroy)(void*);
};

int firing_depth = 0;
DynArray<PendingNode> pending_nodes;

}  // namespace

void signal_fire_begin() { firing_depth++; }

void signal_fire_end() {
  if (--firing_depth > 0)
    return;
  // A node's destructor may clear other lists; their nodes join the queue.
  while (!pending_nodes.isEmpty()) {
    PendingNode p = pending_nodes[0];
    pending_nodes.remove(0, 1);
    p.destroy(p.node);
  }
}

bool signal_is_firing() { return firing_depth > 0; }

void signal_delete_node(void* node, void (*destroy)(void*)) {
  if (firing_depth == 0) {
    destroy(node);
    return;
  }
  PendingNode p = {node, destroy};
  pending_nodes.push(&p);
}
