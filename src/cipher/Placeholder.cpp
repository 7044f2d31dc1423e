// The cipher core grows here.
