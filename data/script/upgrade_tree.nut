// The upgrade tree: every node the player can buy with upgrade points. A node is
// available once every node in its "requires" list is owned. "effects" are added
// to the hero's base stats by apply_upgrades (main.nut); "pos" places the node on
// the upgrade screen (column, row).

upgrade_nodes <- [
  { name = "health1", title = "Tough Skin",    cost = 5,  requires = [],
    effects = { max_health = 25 },    pos = vec4f(0, 0, 0, 0) }
  { name = "health2", title = "Armour Plates", cost = 10, requires = ["health1"],
    effects = { max_health = 50 },    pos = vec4f(0, 1, 0, 0) }
  { name = "damage1", title = "Hot Rounds",    cost = 5,  requires = [],
    effects = { damage = 0.25 },      pos = vec4f(1, 0, 0, 0) }
  { name = "rate1",   title = "Quick Trigger", cost = 10, requires = ["damage1"],
    effects = { fire_rate = 0.2 },    pos = vec4f(1, 1, 0, 0) }
  { name = "dual",    title = "Dual Wield",    cost = 15, requires = ["rate1"],
    effects = { dual_wield = 1 },     pos = vec4f(1, 2, 0, 0) }
  { name = "jump1",   title = "Spring Boots",  cost = 5,  requires = [],
    effects = { jump = 0.15 },        pos = vec4f(2, 0, 0, 0) }
  { name = "plasma",  title = "Plasma Gun",    cost = 20, requires = ["health2", "dual"],
    effects = { plasma_gun = 1 },     pos = vec4f(1, 3, 0, 0) }
]

// The hero's stats before any upgrade.
base_hero_stats <- {
  max_health = 100
  damage = 1.0
  fire_rate = 1.0
  jump = 1.0
  dual_wield = 0
  plasma_gun = 0
}
