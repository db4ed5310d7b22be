// delete on an instance goes to its class's _delslot; without one it is an error
class Bag {
  items = null;
  constructor() { items = { apple = 3, pear = 1 }; }
  function _delslot(key) { local n = items[key]; delete items[key]; return "removed " + key + " (" + n + ")"; }
}
class Sub extends Bag {}
local bag = Bag();
print((delete bag.apple) + " " + bag.items.len() + "\n");
local sub = Sub();
print((delete sub["pear"]) + " " + sub.items.len() + "\n");
try { delete bag.plum; } catch (e) print(e + "\n");
class Plain { x = 1 }
try { delete Plain().x; } catch (e) print(e + "\n");
