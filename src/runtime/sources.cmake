target_sources(zelvia_runtime PRIVATE
    event.h
    app_object.cpp app_object.h host.h
    toolkit_texts.cpp toolkit_texts.h
    qt_host.cpp qt_host.h
    screen.cpp screen.h
    load_picture.cpp load_picture.h
    file_info.cpp file_info.h
    clipboard.cpp clipboard.h
    printer.cpp printer.h
    cups_job.cpp cups_job.h
    controls/control.cpp controls/control.h
    controls/label.cpp controls/label.h
    controls/menu_item.cpp controls/menu_item.h
    controls/combo_box.cpp controls/combo_box.h
    controls/picture_box.cpp controls/picture_box.h
    controls/picture_box_widget.cpp controls/picture_box_widget.h
    controls/file_list.cpp controls/file_list.h
    controls/file_list_model.cpp controls/file_list_model.h
    controls/folder_list.cpp controls/folder_list.h
    controls/listing_handoff.cpp controls/listing_handoff.h
    controls/drive_list.cpp controls/drive_list.h
    controls/form.cpp controls/form.h)
