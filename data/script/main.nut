// The game script: the upgrade tree, what a new game resets and what happens when
// the player finishes a level ("torvane"). The engine calls the entry functions
// below by name; the game-object module reads the tree for its upgrade screen and
// applies the resulting stats.
include("script/upgrade_tree.nut")

// Survives a reload of this file: only a new game empties it.
if (!("owned" in getroottable()))
  owned <- {}

// The stats that apply_upgrades computed last; the module reads this table, and is
// handed it through "apply_hero_stats" when it has bound that function.
hero_stats <- {}

levels_finished <- 0

function find_node(name) {
  foreach (node in upgrade_nodes)
    if (node.name == name)
      return node
  return null
}

function node_state(node) {
  if (node.name in owned)
    return "owned"
  foreach (req in node.requires)
    if (!(req in owned))
      return "locked"
  return "available"
}

// ---- entry functions ----------------------------------------------------------------

function reset_game() {
  owned = {}
  levels_finished = 0
  apply_upgrades()
}

function on_torvane(level, upgrade_points) {
  levels_finished++
  debug("torvane: level", level, "points", upgrade_points)
}

// The whole tree: one entry per node, in display order.
function get_upgrade_tree() {
  local tree = []
  foreach (node in upgrade_nodes)
    tree.append(get_upgrade_node(node.name))
  return tree
}

// One node with its current state ("owned", "available" or "locked"); null when
// there is no such node.
function get_upgrade_node(name) {
  local node = find_node(name)
  if (node == null)
    return null
  return {
    name = node.name
    title = node.title
    cost = node.cost
    requires = node.requires
    x = node.pos[0]
    y = node.pos[1]
    state = node_state(node)
  }
}

// The names of the owned upgrades, in tree order.
function get_upgrade_items() {
  local items = []
  foreach (node in upgrade_nodes)
    if (node.name in owned)
      items.append(node.name)
  return items
}

// The player clicked a node holding `points` upgrade points: buys it when it is
// available and affordable. Returns the points left.
function on_upgrade_node_clicked(name, points) {
  local node = find_node(name)
  if (node == null || node_state(node) != "available" || points < node.cost)
    return points
  owned[name] <- true
  apply_upgrades()
  return points - node.cost
}

// Base stats plus the effects of every owned node.
function apply_upgrades() {
  local stats = clone base_hero_stats
  foreach (node in upgrade_nodes) {
    if (!(node.name in owned))
      continue
    foreach (key, value in node.effects)
      stats[key] = stats[key] + value
  }
  ::hero_stats = stats
  if ("apply_hero_stats" in getroottable())
    ::apply_hero_stats(stats)
}

apply_upgrades()
