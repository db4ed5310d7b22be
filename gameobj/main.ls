# The module's sources. Each "import " line names a unit of this folder: its header
# and its source are watched, and their own import lines are followed.
import gameobj_api
import module
import objects
import screens
