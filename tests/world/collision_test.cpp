// collision_test
